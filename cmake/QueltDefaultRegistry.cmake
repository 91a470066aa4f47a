# Runs at install time (install(CODE) in the root CMakeLists.txt), where CMAKE_INSTALL_PREFIX is the
# prefix the files really go to: `cmake --install --prefix P` gives P, CPack's Debian package /usr.
# Writes the default registry file, naming the burning tool installed under the libexec folder,
# and installs it under the configuration folder GNUInstallDirs gives that prefix.
function(quelt_install_default_registry sysconfdir libexecdir stage)
    # GNUInstallDirs' rule for SYSCONFDIR, applied to the prefix of this install: the prefixes /
    # and /usr keep their configuration in /etc, a prefix /opt/P in /etc/opt/P. The library
    # looks in the same place, as computed from the prefix it was built for.
    if(IS_ABSOLUTE "${sysconfdir}")
        set(config "${sysconfdir}")
    elseif(CMAKE_INSTALL_PREFIX MATCHES "^/(usr/?)?$")
        set(config "/${sysconfdir}")
    elseif(CMAKE_INSTALL_PREFIX MATCHES "^/opt/" AND NOT CMAKE_INSTALL_PREFIX MATCHES "^/opt/homebrew/")
        set(config "/${sysconfdir}${CMAKE_INSTALL_PREFIX}")
    else()
        set(config "${CMAKE_INSTALL_PREFIX}/${sysconfdir}")
    endif()
    # install(TARGETS) puts a relative destination under the prefix as it is given.
    if(IS_ABSOLUTE "${libexecdir}")
        set(tool "${libexecdir}/queltburner/NeroCmd.exe")
    else()
        set(tool "${CMAKE_INSTALL_PREFIX}/${libexecdir}/queltburner/NeroCmd.exe")
    endif()
    string(REGEX REPLACE "//+" "/" tool "${tool}")
    string(REGEX REPLACE "//+" "/" config "${config}")

    # A .reg string escapes the backslash and the double quote with a backslash.
    string(REPLACE "\\" "\\\\" value "${tool}")
    string(REPLACE "\"" "\\\"" value "${value}")
    file(WRITE "${stage}/user.reg"
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "; The burning tool installed with QueltBurner. A user's own\n"
        "; ~/.config/QueltBurner/user.reg, or the file QUELT_REGISTRY names, replaces this file.\n"
        "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\n"
        "\"RegisteredTypesNeroPath\"=\"${value}\"\n")
    # file(INSTALL) adds DESTDIR and records the file in the install manifest, as install(FILES)
    # does.
    file(INSTALL DESTINATION "${config}/xdg/QueltBurner" TYPE FILE FILES "${stage}/user.reg")
endfunction()
