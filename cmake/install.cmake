# What `cmake --install` (and `make install`) puts under the prefix: the
# programs, the sound library when this tree builds it, man pages generated
# from docs/command-line.md, desktop integration and the manual.
find_package(Python3 COMPONENTS Interpreter)

set(KX_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(KX_MAN_PAGES "")
if(Python3_FOUND)
  foreach(page "kxrun;6;play a Korvax 6 game" "kxpack;1;build, inspect and unpack Korvax 6 game files")
    list(GET page 0 name)
    list(GET page 1 section)
    list(GET page 2 summary)
    set(out ${KX_MAN_DIR}/${name}.${section})
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KX_MAN_DIR}
      COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/md_to_man.py
              ${PROJECT_SOURCE_DIR}/docs/command-line.md ${name} ${section} ${PROJECT_VERSION}
              "${summary}" ${out}
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/command-line.md ${PROJECT_SOURCE_DIR}/cmake/md_to_man.py
      COMMENT "Writing the man page ${name}(${section})")
    list(APPEND KX_MAN_PAGES ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endforeach()
else()
  message(WARNING "python3 not found: the man pages are not built or installed")
endif()
add_custom_target(kx_man ALL DEPENDS ${KX_MAN_PAGES})

configure_file(${PROJECT_SOURCE_DIR}/data/org.kxrun.kxrun.metainfo.xml
               ${PROJECT_BINARY_DIR}/data/org.kxrun.kxrun.metainfo.xml @ONLY)

install(TARGETS kxrun kxpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/org.kxrun.kxrun.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/kxrun.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME org.kxrun.kxrun.svg)
install(FILES ${PROJECT_BINARY_DIR}/data/org.kxrun.kxrun.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/kxrun-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME kxrun.xml)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}
        FILES_MATCHING PATTERN "*.md" PATTERN "architecture.md" EXCLUDE)

# What `make install` builds first: only the installed targets, not the tests.
add_custom_target(kx_installables DEPENDS kxrun kxpack kx_man)

# The sound library is its own target wherever it is added; looked for once
# the whole tree is read, so the order of add_subdirectory does not matter.
function(kx_install_sound_library)
  if(TARGET velunor)
    install(TARGETS velunor LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
    add_dependencies(kx_installables velunor)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kx_install_sound_library)
