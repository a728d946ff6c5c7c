# What a user's install holds besides the programs (installed by their own folders), and
# the .deb that CPack makes of it (scripts/package).
include(GNUInstallDirs)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/README.md examples/aspen.txt examples/zostera.txt examples/pram.txt
              examples/posidonia.txt examples/two-populations.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME genosieve)
set(CPACK_PACKAGE_VENDOR "GENOSIEVE")
set(CPACK_PACKAGE_CONTACT "GENOSIEVE developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "clone detection and Fis randomization tests for partly clonal populations")
set(CPACK_PACKAGE_DESCRIPTION
    "GENOSIEVE finds the repeated multilocus genotypes (clones) of each population in a file
of diploid genotypes and tests, by randomization, whether the Weir & Cockerham Fis of the
data is lower than when the same clone sizes are given at random to the distinct genotypes.
It has a window (genosieve) and a command line (genosieve-cli).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_LICENSE GPL-3+)
# The runtime libraries come from the programs themselves (dpkg-shlibdeps), so no
# development package is ever asked for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
