# Read by cpack for each generator: the archive adds to the default install
# the links at its top that make ./zarv work where it is unpacked.
if(CPACK_GENERATOR STREQUAL "TGZ")
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build)
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${build} zarv archive /)
endif()
