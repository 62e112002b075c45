# Install layout. The package installs under /usr, so that is the default
# prefix too: the service units and /etc/default files then name the paths
# the package really has. Installed programs find their shipped files at a
# fixed place relative to their own folder (shared/fileutil.cpp), so an
# unpacked or staged tree runs as well as an installed one.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install prefix" FORCE)
endif()
include(GNUInstallDirs)

# Debian keeps the programs of games in /usr/games.
set(ZB_INSTALL_BINDIR games)
set(ZB_INSTALL_SHIPPED_DIR ${CMAKE_INSTALL_DATADIR}/zembrill)
file(RELATIVE_PATH ZB_SHIPPED_FROM_BIN
  ${CMAKE_INSTALL_PREFIX}/${ZB_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${ZB_INSTALL_SHIPPED_DIR})
file(RELATIVE_PATH ZB_DOC_FROM_BIN
  ${CMAKE_INSTALL_PREFIX}/${ZB_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR})
