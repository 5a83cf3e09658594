# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the manual pages, run by `cmake --install` and by CPack. The pages name the
# installed folders, which are known only now: CMAKE_INSTALL_PREFIX is the prefix being
# installed to, and file(INSTALL) puts the files under $DESTDIR as the other files go.
#
# Set by the caller: QUILLET_MAN_PAGES (the pages written by the build), QUILLET_GZIP
# (empty when there is no gzip), QUILLET_MANDIR, QUILLET_DATADIR, QUILLET_LIBEXECDIR (as
# GNUInstallDirs gives them) and QUILLET_WORK_DIR (a folder of the build tree).

# A folder of GNUInstallDirs as installed: relative ones lie under the prefix.
function(quillet_installed_dir dir out)
    if(IS_ABSOLUTE "${dir}")
        set(${out} "${dir}" PARENT_SCOPE)
    else()
        set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
    endif()
endfunction()

quillet_installed_dir("${QUILLET_DATADIR}" datadir)
quillet_installed_dir("${QUILLET_LIBEXECDIR}" libexecdir)
quillet_installed_dir("${QUILLET_MANDIR}" mandir)
# A prefix given with a trailing slash or as "/usr/./" names the same folders.
cmake_path(NORMAL_PATH datadir)
cmake_path(NORMAL_PATH libexecdir)
string(REGEX REPLACE "(.)/$" "\\1" datadir "${datadir}")
string(REGEX REPLACE "(.)/$" "\\1" libexecdir "${libexecdir}")

file(MAKE_DIRECTORY "${QUILLET_WORK_DIR}")
foreach(page IN LISTS QUILLET_MAN_PAGES)
    get_filename_component(name "${page}" NAME)
    file(READ "${page}" text)
    # A roff page writes a hyphen as "\-".
    string(REPLACE "-" "\\-" datadir_roff "${datadir}")
    string(REPLACE "-" "\\-" libexecdir_roff "${libexecdir}")
    string(REPLACE "@INSTALLED_DATADIR@" "${datadir_roff}" text "${text}")
    string(REPLACE "@INSTALLED_LIBEXECDIR@" "${libexecdir_roff}" text "${text}")
    set(installed "${QUILLET_WORK_DIR}/${name}")
    file(WRITE "${installed}" "${text}")
    if(QUILLET_GZIP)
        execute_process(COMMAND "${QUILLET_GZIP}" -9 -n -f "${installed}"
            RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "cannot compress the manual page ${installed}")
        endif()
        set(installed "${installed}.gz")
    endif()
    file(INSTALL DESTINATION "${mandir}/man1" TYPE FILE FILES "${installed}")
endforeach()
