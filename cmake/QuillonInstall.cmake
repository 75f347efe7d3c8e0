# What `cmake --install` lays out and what `cpack -G DEB` packs:
#
#   bin/quillon, bin/fetchwell (+ bin/fetchwell-gui when the window is its own program)
#   share/quillon/{data,book,list,fetchwell/data}     the shipped defaults
#   share/applications/, share/metainfo/               desktop entries, AppStream
#   share/icons/hicolor/{scalable,NxN}/apps/           icons
#   share/man/man1/                                    manual pages
#   share/doc/quillon/                                 copyright, changelog
#
# An installed program finds the defaults as <exe dir>/../share/quillon/, so
# the layout must stay relative to one prefix.
include(GNUInstallDirs)

set(QUILLON_DIST_DIR ${CMAKE_SOURCE_DIR}/dist/unix)
set(QUILLON_DIST_OUT ${CMAKE_BINARY_DIR}/dist)
set(QUILLON_SHARE_DIR ${CMAKE_INSTALL_FULL_DATADIR}/quillon)
set(QUILLON_PACKAGE_MAINTAINER "Quillon developers <quillon-devel@lists.quillon.org>"
    CACHE STRING "Maintainer named in the Debian package")

foreach(program quillon fetchwell fetchwell-gui)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/data ${CMAKE_SOURCE_DIR}/book ${CMAKE_SOURCE_DIR}/list
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/fetchwell/data
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon/fetchwell)

# The downloader's menu entry starts its window, which is a program of its own
# once the command line is built without Qt.
if(TARGET fetchwell-gui)
  set(FETCHWELL_WINDOW fetchwell-gui)
else()
  set(FETCHWELL_WINDOW fetchwell)
endif()

set(QUILLON_APP_IDS org.quillon.Quillon org.quillon.Fetchwell)
configure_file(${QUILLON_DIST_DIR}/org.quillon.Fetchwell.desktop.in
               ${QUILLON_DIST_OUT}/org.quillon.Fetchwell.desktop @ONLY)
configure_file(${QUILLON_DIST_DIR}/org.quillon.Quillon.desktop
               ${QUILLON_DIST_OUT}/org.quillon.Quillon.desktop COPYONLY)
foreach(id IN LISTS QUILLON_APP_IDS)
  configure_file(${QUILLON_DIST_DIR}/${id}.metainfo.xml.in ${QUILLON_DIST_OUT}/${id}.metainfo.xml @ONLY)
  install(FILES ${QUILLON_DIST_OUT}/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QUILLON_DIST_OUT}/${id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${QUILLON_DIST_DIR}/${id}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endforeach()

# Bitmap icons for the panels and menus that do not scale the SVG, rendered
# from it at build time so the drawing has one source.
find_program(RSVG_CONVERT rsvg-convert)
set(QUILLON_ICON_SIZES 16 22 24 32 48 64 128 256)
set(icon_outputs)
if(RSVG_CONVERT)
  foreach(size IN LISTS QUILLON_ICON_SIZES)
    foreach(id IN LISTS QUILLON_APP_IDS)
      set(png ${QUILLON_DIST_OUT}/icons/${size}x${size}/${id}.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLON_DIST_OUT}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${QUILLON_DIST_DIR}/${id}.svg
        DEPENDS ${QUILLON_DIST_DIR}/${id}.svg
        VERBATIM)
      list(APPEND icon_outputs ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
  endforeach()
else()
  message(WARNING "rsvg-convert not found (package librsvg2-bin): only the SVG icons are installed")
endif()

# Manual pages and the changelog go in compressed without a time stamp, as
# Debian wants them; man and zless read them so on every system.
set(man_pages quillon fetchwell)
set(gzip_outputs)
foreach(page IN LISTS man_pages)
  configure_file(${QUILLON_DIST_DIR}/${page}.1 ${QUILLON_DIST_OUT}/man/${page}.1 @ONLY)
endforeach()
if(TARGET fetchwell-gui)
  file(WRITE ${QUILLON_DIST_OUT}/man/fetchwell-gui.1 ".so man1/fetchwell.1\n")
  list(APPEND man_pages fetchwell-gui)
endif()
configure_file(${QUILLON_DIST_DIR}/changelog.in ${QUILLON_DIST_OUT}/changelog @ONLY)
foreach(file IN LISTS man_pages)
  list(APPEND gzip_outputs ${QUILLON_DIST_OUT}/man/${file}.1.gz)
  install(FILES ${QUILLON_DIST_OUT}/man/${file}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
list(APPEND gzip_outputs ${QUILLON_DIST_OUT}/changelog.gz)
foreach(gz IN LISTS gzip_outputs)
  string(REGEX REPLACE "\\.gz$" "" plain ${gz})
  add_custom_command(OUTPUT ${gz}
    COMMAND gzip -9 -n -f -k ${plain}
    DEPENDS ${plain}
    VERBATIM)
endforeach()
install(FILES ${QUILLON_DIST_OUT}/changelog.gz ${QUILLON_DIST_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

add_custom_target(desktop_files ALL DEPENDS ${icon_outputs} ${gzip_outputs})

# The Debian package (`make deb`). Its dependencies on libraries come from
# dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(CPACK_PACKAGE_CONTACT ${QUILLON_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLON_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps also brings in Qt WebEngine's helper process (by the
# library's shlibs); CJK glyphs come from whichever Song-style font is there.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming | fonts-noto-cjk | fonts-wqy-zenhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, xdg-user-dirs")
# CPack indents each line and turns an empty one into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "reader for plain-text Chinese novels, with a chapter downloader
Quillon shows long Chinese web novels kept as plain-text (GBK) files in paged
reading tabs, with a library of books, bookmarks, find, automatic page
turning, reading aloud through espeak-ng, an English word dictionary, web
tabs and a search of a local novel index.

Fetchwell, its companion, lists the chapter links of a novel's contents page
and saves the chosen chapters as text and HTML files, from a window or from
a command line that needs no display.")
include(CPack)
