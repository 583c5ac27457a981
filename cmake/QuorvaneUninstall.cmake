# cmake -DMANIFEST=<build>/install_manifest.txt -P QuorvaneUninstall.cmake
# Removes every file of the last install, below $DESTDIR when that is set (the
# manifest lists the paths without it). Folders stay: shared ones such as bin/
# or share/applications/ may be empty now and still be expected there.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} not found (run the install first)")
endif()
file(STRINGS "${MANIFEST}" files)
foreach(listed ${files})
  set(file "$ENV{DESTDIR}${listed}")
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing ${file}")
    file(REMOVE "${file}")
  endif()
endforeach()
