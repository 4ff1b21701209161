# AddressSanitizer and UndefinedBehaviorSanitizer for the core libraries and
# their tests; used from a build directory of its own.
add_library(varnello_sanitize INTERFACE)
add_library(Varnello::sanitize ALIAS varnello_sanitize)
if(VARNELLO_SANITIZE)
    target_compile_options(varnello_sanitize INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(varnello_sanitize INTERFACE -fsanitize=address,undefined)
endif()
# The fuzz targets need the core built with libFuzzer's coverage hooks, and
# with both sanitizers so that a fault stops the run at once.
if(VARNELLO_FUZZ)
    target_compile_options(varnello_sanitize INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    target_link_options(varnello_sanitize INTERFACE -fsanitize=address,undefined)
endif()
