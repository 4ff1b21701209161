# Build-time settings of the program, kept in one place.
set(VARNELLO_HOME_PAGE "https://www.example.org/" CACHE STRING "Home page opened from the Help menu")
set(VARNELLO_BUGS_PAGE "https://www.example.org/en/software/index_bugs.htm" CACHE STRING "Bug list opened from the Help menu")
set(VARNELLO_SUPPORT_MAIL "support@example.org" CACHE STRING "Address of the bug-report mail")
