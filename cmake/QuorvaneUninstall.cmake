# cmake -DMANIFEST=<build>/install_manifest.txt -P QuorvaneUninstall.cmake
# Removes every file of the last install. Folders stay: shared ones such as
# bin/ or share/applications/ may be empty now and still be expected there.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} not found (run the install first)")
endif()
file(STRINGS "${MANIFEST}" files)
foreach(file ${files})
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing ${file}")
    file(REMOVE "${file}")
  endif()
endforeach()
