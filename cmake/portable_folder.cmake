# Install script of the portable ZIP only: the empty folder "portable" beside
# vistrel.exe, which makes the program keep its settings there.
file(MAKE_DIRECTORY "${CMAKE_INSTALL_PREFIX}/portable")
