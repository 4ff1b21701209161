# Warning flags for every target of the project, as an interface target so
# that nothing is set globally.
add_library(varnello_warnings INTERFACE)
add_library(Varnello::warnings ALIAS varnello_warnings)
target_compile_options(varnello_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wold-style-cast
    -Wnon-virtual-dtor -Woverloaded-virtual
    $<$<BOOL:${VARNELLO_WERROR}>:-Werror>)
