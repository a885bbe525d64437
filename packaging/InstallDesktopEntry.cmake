# Runs at install time (install(SCRIPT)): writes the menu entry with the
# executable's full path under the prefix actually installed to, so the entry
# works where that bin folder is not on the PATH (~/.local/bin often is not).
set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications")
file(MAKE_DIRECTORY "${dir}")
file(WRITE "${dir}/zelmora.desktop"
"[Desktop Entry]
Type=Application
Name=Zelmora
GenericName=Astrophotography focusing and capture
Comment=Focus, measure stars, autofocus and capture through a telescope with a DSLR camera
Exec=\"${CMAKE_INSTALL_PREFIX}/bin/zelmora\"
Icon=zelmora
Terminal=false
Categories=Education;Astronomy;Science;Photography;
")
message(STATUS "Installing: ${dir}/zelmora.desktop")
