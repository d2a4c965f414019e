# The Debian package, quenlow_<version>_amd64.deb, made by CPack from the
# install rules: `make deb` configures a build of its own with Debian's
# compiler flags and the prefix /usr, builds it and runs cpack there.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quenlow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quenlow developers <maintainers@users.noreply.c-seed-56a54daa.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The first line is the synopsis, each further one is indented by CPack.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "hear a non-oversampling converter without a reconstruction filter
Quenlow writes, for a 16-bit stereo recording at 44.1 or 48 kHz, two
24-bit WAV files at four times the rate: what a digital-to-analogue
converter with no oversampling and no reconstruction filter puts out
(every sample held, with triangular dither), and the same after a
215-tap FIR reconstruction filter. Equal inputs give byte-identical
files on every machine.
.
The package holds the terminal dialogue quenlow, quenlow-batch for
whole albums and folders (WAV, FLAC, AIFF and the other formats
libsndfile reads) and quenlow-filter, which shows what a coefficient
file does, designs filters and draws the spectra of the outputs.")
# The run-time dependencies come from the binaries, by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
