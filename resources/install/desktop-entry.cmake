# Writes the desktop entry at install time, for the prefix being installed to: the
# program starts in the folder that holds the about box's bitmaps.
set(BINDIR "${CMAKE_INSTALL_PREFIX}/${ORVEX_BINDIR}")
set(DATADIR "${CMAKE_INSTALL_PREFIX}/${ORVEX_DATADIR}")
configure_file("${ORVEX_DESKTOP_IN}" "$ENV{DESTDIR}${DATADIR}/applications/org.orvex.Orvex.desktop" @ONLY)
message(STATUS "Installing: $ENV{DESTDIR}${DATADIR}/applications/org.orvex.Orvex.desktop")
