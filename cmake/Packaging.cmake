# Installation (cmake --install) and the Debian package (cpack, ./package).
#
#   bin/Quillan, bin/quillan-cli
#   lib/<multiarch>/quillan/libquillanbtrv.so  the embedded record manager as a library of its own
#   share/applications, share/metainfo     the desktop entry and its AppStream description
#   share/icons/hicolor/*/apps             the icon, scalable and rendered to PNG sizes
#   share/man/man1, share/doc/quillan      the manual pages, copyright and changelog
#
# The programs carry the embedded record manager linked in; the library beside them is the same
# engine behind BTRCALLID for anything that loads a record manager by name. The programs find it
# through their RUNPATH ($ORIGIN-relative, so an extracted or relocated tree works too), which is
# where the record-manager binding's dlopen of a bare name looks.
include(GNUInstallDirs)

# Installing (and cpack) takes what is built and builds nothing: ./package builds first, and the
# package test, run after the whole tree is built, is not held up by a rebuild check of it all.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(QUILLAN_APP_ID io.github.quillan.Quillan)
# The library's private directory: under the multiarch directory where the system has one, so
# that it is plainly off the loader's default paths (no ldconfig run for it).
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT CMAKE_INSTALL_LIBDIR MATCHES "/${CMAKE_LIBRARY_ARCHITECTURE}$")
  set(QUILLAN_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/${CMAKE_LIBRARY_ARCHITECTURE}/quillan)
else()
  set(QUILLAN_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quillan)
endif()
set(QUILLAN_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillan)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(generated_dir ${PROJECT_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

file(RELATIVE_PATH bin_to_private_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${QUILLAN_PRIVATE_LIBDIR})
set_target_properties(Quillan quillan-cli PROPERTIES INSTALL_RPATH "$ORIGIN/${bin_to_private_lib}")

install(TARGETS Quillan quillan-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quillanbtrv
        LIBRARY DESTINATION ${QUILLAN_PRIVATE_LIBDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

install(FILES ${packaging_dir}/${QUILLAN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_dir}/${QUILLAN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_dir}/quillan.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${QUILLAN_APP_ID}.svg)

# Generated at build time: the PNG icons from the SVG, and the gzipped manual pages and changelog
# (gzip -n: no name or time stamp, so the same sources give the same package).
set(generated_files)
find_program(QUILLAN_RSVG_CONVERT rsvg-convert)
if(QUILLAN_RSVG_CONVERT)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${generated_dir}/icons/${size}x${size}/${QUILLAN_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated_dir}/icons/${size}x${size}
      COMMAND ${QUILLAN_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${packaging_dir}/quillan.svg
      DEPENDS ${packaging_dir}/quillan.svg
      COMMENT "Rendering the ${size}x${size} icon"
      VERBATIM)
    list(APPEND generated_files ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert (librsvg2-bin) not found: the PNG icons are neither made nor installed")
endif()

function(quillan_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(output ${generated_dir}/${name}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${generated_dir}/${name}
    COMMAND gzip -9nf ${generated_dir}/${name}
    DEPENDS ${source}
    VERBATIM)
  set(generated_files ${generated_files} ${output} PARENT_SCOPE)
  install(FILES ${output} DESTINATION ${destination})
endfunction()
quillan_gzipped(${packaging_dir}/Quillan.1 ${CMAKE_INSTALL_MANDIR}/man1)
quillan_gzipped(${packaging_dir}/quillan-cli.1 ${CMAKE_INSTALL_MANDIR}/man1)
quillan_gzipped(${packaging_dir}/changelog ${QUILLAN_DOCDIR})
add_custom_target(quillan_package_data ALL DEPENDS ${generated_files})

install(FILES ${packaging_dir}/copyright DESTINATION ${QUILLAN_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/record-manager.md DESTINATION ${QUILLAN_DOCDIR})

# The Debian package: quillan_<version>_<arch>.deb, its dependencies found by dpkg-shlibdeps
# in the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillan maintainers")
set(CPACK_PACKAGE_CONTACT "Quillan maintainers <maintainers@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor of the data dictionary of Btrieve databases")
set(CPACK_PACKAGE_DESCRIPTION
"Quillan edits the data dictionary of a Btrieve database: FILE.DDF, FIELD.DDF,
INDEX.DDF and FIELDEXT.DDF. In one window you browse to a database
directory, open or start a dictionary, edit tables, fields and keys in grids,
import a data file's definition, create empty data files, turn Pascal record
declarations into field rows and write the dictionary back.

quillan-cli prints, checks and compares dictionaries from scripts, writes SQL
schemas and exports the tables' records into SQLite or CSV files.

Both carry their own record manager and also work with an installed one.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
include(CPack)
