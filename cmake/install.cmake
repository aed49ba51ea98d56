# Install rules, the desktop integration files and the Debian package.
# Included at the end of the top-level CMakeLists.txt.
include(GNUInstallDirs)

# The command-line tests start the program itself.
if(TARGET x11_commandline)
  add_dependencies(x11_commandline tarnwick)
endif()
