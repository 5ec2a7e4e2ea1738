# Where `cmake --install` puts each part of the suite, and how the parts find
# each other afterwards without LD_LIBRARY_PATH or a fixed prefix.
#
#   <prefix>/bin          the commands a user types: morvane (a link), reg,
#                         tesvar, parvex-menu (named in file-manager actions)
#   <prefix>/lib/parvex   the suite's own programs and libraries: morvane,
#                         dravik, brovin, regsvr32, libhalvex32.so, libtesvar.so
#   <prefix>/share/...    help, desktop entry, icons, metainfo
#
# dravik, brovin and regsvr32 stay out of bin: they are started by the menu
# and by morvane, never typed, and a regsvr32 in /usr/bin would collide with
# the Windows compatibility layer's own program of that name.
# morvane records the folder it runs from as the home of dravik and brovin
# and starts regsvr32 from there, so the real program lives beside them and
# bin only holds a relative symbolic link (resolved through /proc/self/exe).
set(PARVEX_INSTALL_BINDIR bin)
set(PARVEX_INSTALL_PRIVATEDIR lib/parvex)
set(PARVEX_INSTALL_DATADIR share/parvex)

# parvex_install_program(TARGET DIR): installs TARGET into DIR (bin or the
# private folder) with an RPATH that reaches the private libraries from there.
function(parvex_install_program target dir)
  file(RELATIVE_PATH rel "/${dir}" "/${PARVEX_INSTALL_PRIVATEDIR}")
  if(rel STREQUAL "")
    set(rpath "$ORIGIN")
  else()
    set(rpath "$ORIGIN/${rel}")
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${rpath}")
  install(TARGETS ${target} RUNTIME DESTINATION ${dir})
endfunction()

# parvex_link_command(NAME TARGET_PATH): a relative symbolic link
# <prefix>/bin/NAME -> TARGET_PATH (relative to the prefix), made at install
# time so that it follows DESTDIR and the package's staging folder.
function(parvex_link_command name target_path)
  file(RELATIVE_PATH rel "/${PARVEX_INSTALL_BINDIR}" "/${target_path}")
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${PARVEX_INSTALL_BINDIR}/${name}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${PARVEX_INSTALL_BINDIR}\")
    message(STATUS \"Installing: \${link} -> ${rel}\")
    file(CREATE_LINK \"${rel}\" \"\${link}\" SYMBOLIC)")
endfunction()

# parvex_module_dirs(TARGET DIR): tells TARGET, installed in DIR, where to
# look for a bare module name such as parvex.so (os::FindModule reads
# relative folders from the parent of the program's folder). The relative
# forms keep working under DESTDIR or an unpacked package; the absolute
# extension folder is the last resort for a program moved elsewhere.
function(parvex_module_dirs target dir)
  cmake_path(GET dir PARENT_PATH base)
  file(RELATIVE_PATH private "/${base}" "/${PARVEX_INSTALL_PRIVATEDIR}")
  set(ext "${PARVEX_NAUTILUS_EXTENSION_DIR}")
  if(IS_ABSOLUTE "${ext}")
    file(RELATIVE_PATH ext_rel "${CMAKE_INSTALL_PREFIX}/${base}" "${ext}")
    set(dirs "${private}:${ext_rel}:${ext}")
  else()
    file(RELATIVE_PATH ext_rel "/${base}" "/${ext}")
    set(dirs "${private}:${ext_rel}:${CMAKE_INSTALL_PREFIX}/${ext}")
  endif()
  target_compile_definitions(${target} PRIVATE PARVEX_MODULE_DIRS="${dirs}")
endfunction()
