# What ships: the install rules of the terminal tool for Linux, its Debian package (CPack), and
# the tests of the texts that ship with it. tools/release.sh builds the package from the
# release-native preset; the Windows zip is put together there too.
if(WIN32)
  return()
endif()

set(velmora_doc_dir share/doc/velmora)
set(velmora_packaging_dir ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${velmora_packaging_dir})

# Compressed without a name or a time stamp, so that the same text gives the same bytes.
function(velmora_gzip source output)
  add_custom_command(OUTPUT ${output}
                     COMMAND gzip -9nc ${source} > ${output}
                     DEPENDS ${source} VERBATIM)
endfunction()

set(velmora_man_page ${velmora_packaging_dir}/velmora.1.gz)
velmora_gzip(${CMAKE_SOURCE_DIR}/docs/velmora.1 ${velmora_man_page})
set(velmora_doc_files ${velmora_packaging_dir}/changelog.gz)
velmora_gzip(${CMAKE_SOURCE_DIR}/cmake/debian/changelog ${velmora_packaging_dir}/changelog.gz)
foreach(language en zh)
  set(guide ${velmora_packaging_dir}/guide.${language}.md.gz)
  velmora_gzip(${CMAKE_SOURCE_DIR}/docs/guide.${language}.md ${guide})
  list(APPEND velmora_doc_files ${guide})
endforeach()
add_custom_target(velmora_package_texts ALL DEPENDS ${velmora_man_page} ${velmora_doc_files})

# The package's copyright file, in the machine-readable form, made from LICENSE: its text
# indented by one blank, empty lines as " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE velmora_license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" velmora_copyright_line "${velmora_license}")
set(velmora_copyright_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^MIT License\n\n[^\n]*\n\n" "" velmora_license_terms "${velmora_license}")
string(REGEX REPLACE "\n+$" "" velmora_license_terms "${velmora_license_terms}")
string(REPLACE "\n\n" "\n.\n" velmora_license_terms "${velmora_license_terms}")
string(REPLACE "\n" "\n " velmora_license_terms "${velmora_license_terms}")
file(WRITE ${velmora_packaging_dir}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: Velmora\n\n"
     "Files: *\n"
     "Copyright: ${velmora_copyright_holder}\n"
     "License: Expat\n"
     " ${velmora_license_terms}\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)

if(TARGET velmora)
  install(TARGETS velmora RUNTIME DESTINATION bin)
endif()
install(FILES ${velmora_man_page} DESTINATION share/man/man1)
install(FILES ${velmora_packaging_dir}/copyright ${velmora_doc_files}
        DESTINATION ${velmora_doc_dir})
# The example the guide walks through, ready to copy: cp -r /usr/share/doc/velmora/examples/demo .
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/demo DESTINATION ${velmora_doc_dir}/examples
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                              WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <developers@velmora.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rebuild WDF resource archives from a script")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Velmora rebuilds a WDF resource archive from a script that gives, per
resource id, a rule: keep the resource, take another entry of the same
archive, take an entry of another archive, take the whole contents of a
file, or delete it. The source archive is never changed, and an existing
target is replaced only when the new archive is complete.

The velmora command runs and checks scripts written on Windows unchanged,
and lists, extracts and verifies archives. The guide explains the script
format and every message in English and Simplified Chinese.")
include(CPack)

if(VELMORA_TESTS)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME release_texts
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/release/test_texts.py)
  set_tests_properties(release_texts PROPERTIES TIMEOUT 120)
endif()
