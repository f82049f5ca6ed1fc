# Install rules and the Debian package.
#
# An installed Mofurin keeps the layout of its build folder where the program relies on it: the
# executable, its sound module and Sound/Kouka.wav together in one program folder, lib/mofurin
# under the prefix, so the meow is found beside the executable. The command on PATH is a relative symbolic link to it;
# the program folder is where the link leads, so the meow is found from the command too. There is
# no ★MailData folder: an installed copy, whose program folder its users cannot write, keeps each
# user's settings under $XDG_CONFIG_HOME/mofurin instead.
include(GNUInstallDirs)

# Installing (and so packaging) takes the program as it is built; it does not build every test
# first. tools/package builds the program, then packages it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(MOFURIN_PROGRAM_DIR "lib/mofurin" CACHE STRING
    "The program folder under the prefix: the executable and Sound/Kouka.wav")
set(MOFURIN_METAINFO_ID "example.mofurin.Mofurin")

install(TARGETS mofurin RUNTIME DESTINATION "${MOFURIN_PROGRAM_DIR}")
install(TARGETS mofurin-sound mofurin-mail LIBRARY DESTINATION "${MOFURIN_PROGRAM_DIR}")
install(FILES "${PROJECT_SOURCE_DIR}/resources/Kouka.wav" DESTINATION "${MOFURIN_PROGRAM_DIR}/Sound")
# The page the bar's HP button opens, in each language, with its pictures.
install(DIRECTORY "${MOFURIN_INSTALL_DIR}/Homepage" DESTINATION "${MOFURIN_PROGRAM_DIR}")

file(RELATIVE_PATH mofurin_command_target "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_PREFIX}/${MOFURIN_PROGRAM_DIR}/mofurin")
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/install-command")
file(CREATE_LINK "${mofurin_command_target}" "${CMAKE_BINARY_DIR}/install-command/mofurin" SYMBOLIC)
install(FILES "${CMAKE_BINARY_DIR}/install-command/mofurin" DESTINATION "${CMAKE_INSTALL_BINDIR}")

install(FILES "${PROJECT_SOURCE_DIR}/resources/mofurin.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
foreach(size 16 32 48 64 128 256)
    install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/mofurin.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
install(FILES "${PROJECT_SOURCE_DIR}/resources/art/icon.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps" RENAME mofurin.svg)
install(FILES "${PROJECT_SOURCE_DIR}/resources/mofurin.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo" RENAME "${MOFURIN_METAINFO_ID}.metainfo.xml")
install(FILES "${PROJECT_SOURCE_DIR}/resources/copyright" "${PROJECT_SOURCE_DIR}/README.md"
        DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/mofurin")

# The Debian package, built by tools/package (cpack -G DEB). Its library dependencies come from
# dpkg-shlibdeps; what the program loads at run time without linking to it is named by hand:
# Qt's X11 platform plugin, and, recommended, a Japanese font and Qt's Japanese translations.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "mofurin")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Mofurin developers")
set(CPACK_PACKAGE_CONTACT "The Mofurin developers <mofurin@mofurin.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop kitten that checks a POP3 mailbox when asked")
set(CPACK_PACKAGE_DESCRIPTION "Mofurin is a small kitten that lives on the desktop. It sits above every
window, breathes through a gentle idle cycle and checks a POP3 mailbox when
asked to. When mail is waiting it says so in a little notice window and meows
until the notice is closed.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "mail")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://mofurin.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-japanese-gothic, qt6-translations-l10n, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
include(CPack)
