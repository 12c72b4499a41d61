# Shared by scripts/windows-test and scripts/windows-package (sourced, not run).
# Installs the cross-build tools, and fetches and builds the Windows dependencies into a cache folder outside
# the work tree: reused when present, rebuilt when a version below changes.

win_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win_cache=${KOPIRKO_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kopirko-windows}
win_triplet=x86_64-w64-mingw32
win_prefix=$win_cache/prefix-$win_triplet
win_toolchain=$win_root/cmake/mingw-w64-x86_64.cmake
# kopirko-kase.exe as Windows gets it: 32-bit, for the Access driver that exists for 32-bit programs only.
win_kase_toolchain=$win_root/cmake/mingw-w64-i686.cmake
win_jobs=$(nproc)

# Versions of the sources, as Debian 12 ships them. A change here rebuilds that dependency.
win_zlib_version=1:1.2.13.dfsg-1
win_libdeflate_version=1.14-1
win_sodium_version=1.0.18-1+deb12u1
win_curl_version=7.88.1-10+deb12u15
win_expat_version=2.5.0-1+deb12u2
win_gtest_version=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo none)
win_qt_version=6.4.2+dfsg-10

if [ "$(id -u)" -ne 0 ]; then win_sudo=sudo; else win_sudo=; fi

win_say()
{
    echo "[windows] $*"
}

# Installs the Debian packages given, only those missing.
win_install()
{
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    win_say "installing missing packages: ${missing[*]}"
    $win_sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $win_sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The sources come from Debian's own archive (deb-src for bookworm). Prints the path of the fetched .dsc: the
# version asked for (an epoch such as "1:" is apt's, not the file's), or, should the archive no longer have it,
# the newest one it has.
win_fetch_source()
{
    local package=$1 version=$2
    local dsc=$win_cache/src/${package}_${version#*:}.dsc
    mkdir -p "$win_cache/src"
    if [ ! -f "$dsc" ]; then
        if ! apt-cache showsrc "$package" 2>/dev/null | grep -q "^Version: "; then
            win_say "adding Debian's source archive (deb-src bookworm)" >&2
            printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
                $win_sudo tee /etc/apt/sources.list.d/kopirko-src.sources >/dev/null
            $win_sudo apt-get update -qq
        fi
        if ! (cd "$win_cache/src" && apt-get source --download-only "$package=$version" >/dev/null 2>&1); then
            win_say "$package $version is no longer in Debian's archive: taking its newest source" >&2
            (cd "$win_cache/src" && apt-get source --download-only "$package" >/dev/null 2>&1) ||
                { echo "cannot fetch the source of $package" >&2; return 1; }
            dsc=$(ls -t "$win_cache/src/${package}_"*.dsc | head -1)
        fi
    fi
    echo "$dsc"
}

# Unpacks a fetched source (its .dsc) into a fresh folder and prints that folder.
win_unpack()
{
    local package=$1 dsc=$2 dir=$win_cache/build/$1
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && dpkg-source --no-check -x "$dsc" src >/dev/null)
    echo "$dir/src"
}

win_stamp_ok()
{
    [ "$(cat "$win_prefix/.stamp-$1" 2>/dev/null)" = "$2" ]
}

win_stamp()
{
    echo "$2" >"$win_prefix/.stamp-$1"
}

# A pkg-config file for a library in the prefix, so that the build finds it as it does on Linux.
win_pc()
{
    mkdir -p "$win_prefix/lib/pkgconfig"
    cat >"$win_prefix/lib/pkgconfig/$1.pc" <<EOF
prefix=$win_prefix
includedir=\${prefix}/include
libdir=\${prefix}/lib
Name: $1
Description: $1 for $win_triplet
Version: 0
Libs: -L\${libdir} $2
Cflags: -I\${includedir} ${3:-}
EOF
}

# cpp-httplib (for the tests' HTTP server) from Debian's source, with Windows' socket library. Debian's package
# ships the header without its implementation (that is in a Linux library); the source's header holds it all.
win_httplib()
{
    local version
    version=$(dpkg-query -W -f='${Version}' libcpp-httplib-dev)
    win_stamp_ok httplib "$version whole" && return 0
    win_say "taking cpp-httplib $version from its source"
    local dsc src
    dsc=$(win_fetch_source cpp-httplib "$version")
    src=$(win_unpack cpp-httplib "$dsc")
    mkdir -p "$win_prefix/include/httplib"
    cp "$src/httplib.h" "$win_prefix/include/httplib/"
    win_pc cpp-httplib "-lws2_32" "-I\${includedir}/httplib"
    win_stamp httplib "$version whole"
}

win_tools()
{
    # unixodbc and odbc-mdbtools: the Linux side of Wine's ODBC bridge, through which the tests reach .mdb files.
    # radosgw, ceph-mon, ceph-osd, s3cmd: the test object store (scripts/s3-test-server), run on the Linux side.
    win_install g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev \
        wine wine64 xvfb xauth dpkg-dev cmake ninja-build googletest libcpp-httplib-dev locales \
        unixodbc odbc-mdbtools radosgw ceph-mon ceph-osd s3cmd curl uuid-runtime
    mkdir -p "$win_prefix"
}

# zlib and its minizip (with iowin32, the wide-character file functions), built static.
win_build_zlib()
{
    win_stamp_ok zlib "$win_zlib_version" && return 0
    win_say "building zlib and minizip $win_zlib_version"
    local dsc src
    dsc=$(win_fetch_source zlib "$win_zlib_version")
    src=$(win_unpack zlib "$dsc")
    cmake -S "$src" -B "$src/../out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$win_toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$win_prefix" >/dev/null 2>&1
    cmake --build "$src/../out" --target zlibstatic >/dev/null
    mkdir -p "$win_prefix/lib" "$win_prefix/include/minizip"
    cp "$src/../out/libzlibstatic.a" "$win_prefix/lib/libz.a"
    cp "$src/zlib.h" "$src/../out/zconf.h" "$win_prefix/include/"
    local mz=$src/contrib/minizip
    local objs=()
    for f in ioapi.c iowin32.c zip.c unzip.c; do
        $win_triplet-gcc-posix -O2 -DNOCRYPT -DNOUNCRYPT -I"$win_prefix/include" -c "$mz/$f" \
            -o "$src/../out/mz_${f%.c}.o"
        objs+=("$src/../out/mz_${f%.c}.o")
    done
    rm -f "$win_prefix/lib/libminizip.a"
    $win_triplet-ar rcs "$win_prefix/lib/libminizip.a" "${objs[@]}"
    cp "$mz/ioapi.h" "$mz/iowin32.h" "$mz/zip.h" "$mz/unzip.h" "$win_prefix/include/minizip/"
    win_pc zlib "-lz"
    win_pc minizip "-lminizip -lz" "-I\${includedir}/minizip"
    win_stamp zlib "$win_zlib_version"
}

win_build_libdeflate()
{
    win_stamp_ok libdeflate "$win_libdeflate_version" && return 0
    win_say "building libdeflate $win_libdeflate_version"
    local dsc src
    dsc=$(win_fetch_source libdeflate "$win_libdeflate_version")
    src=$(win_unpack libdeflate "$dsc")
    make -C "$src" -j "$win_jobs" CC=$win_triplet-gcc-posix AR=$win_triplet-ar libdeflatestatic.lib >/dev/null
    cp "$src/libdeflatestatic.lib" "$win_prefix/lib/libdeflate.a"
    cp "$src/libdeflate.h" "$win_prefix/include/"
    win_pc libdeflate "-ldeflate"
    win_stamp libdeflate "$win_libdeflate_version"
}

# libsodium, which checks the updater's signature (Ed25519, BLAKE2b), built static. Debian's source has no configure
# script: autoreconf makes it, as Debian's own build does. Without -fstack-protector (--disable-ssp): mingw-w64 would
# want its libssp at every link then.
win_build_sodium()
{
    win_stamp_ok sodium "$win_sodium_version" && return 0
    win_install autoconf automake libtool
    win_say "building libsodium $win_sodium_version"
    local dsc src
    dsc=$(win_fetch_source libsodium "$win_sodium_version")
    src=$(win_unpack libsodium "$dsc")
    (cd "$src" && autoreconf -fi >/dev/null 2>&1 && ./configure --host=$win_triplet --prefix="$win_prefix" --disable-shared --enable-static \
        --disable-ssp CC=$win_triplet-gcc-posix CFLAGS=-O2 >/dev/null &&
        make -j "$win_jobs" >/dev/null && make install >/dev/null)
    win_pc libsodium "-lsodium -ladvapi32" "-DSODIUM_STATIC"
    win_stamp sodium "$win_sodium_version"
}

# libcurl, for the mail reports (SMTP with STARTTLS, TLS and AUTH), built static with Schannel: TLS and the
# certificate checks are Windows' own, so no TLS library ships with the program. Only what mail needs is built in.
win_build_curl()
{
    win_stamp_ok curl "$win_curl_version" && return 0
    win_say "building libcurl $win_curl_version (Schannel)"
    local dsc src
    dsc=$(win_fetch_source curl "$win_curl_version")
    src=$(win_unpack curl "$dsc")
    (cd "$src" && ./configure --host=$win_triplet --prefix="$win_prefix" --disable-shared --enable-static \
        --with-schannel --without-openssl --without-gnutls --without-libpsl --without-zlib --without-brotli \
        --without-zstd --without-libidn2 --without-nghttp2 --without-librtmp --without-libssh2 --disable-ldap \
        --disable-ldaps --disable-ftp --disable-file --disable-rtsp --disable-dict --disable-telnet --disable-tftp \
        --disable-pop3 --disable-imap --disable-gopher --disable-mqtt --disable-smb --disable-manual \
        CC=$win_triplet-gcc-posix CFLAGS=-O2 >/dev/null &&
        make -C lib -j "$win_jobs" >/dev/null && make -C lib install >/dev/null && make -C include install >/dev/null)
    win_pc libcurl "-lcurl -lbcrypt -lcrypt32 -lsecur32 -lws2_32 -liphlpapi -ladvapi32" "-DCURL_STATICLIB"
    win_stamp curl "$win_curl_version"
}

# expat, which reads the XML answers of an object store, built static (XML_STATIC: no DLL import marks). Without
# DTD support, which those answers never need (the reader refuses a DOCTYPE) and whose Debian patches expect the
# autotools build's XML_DTD=1.
win_build_expat()
{
    win_stamp_ok expat "$win_expat_version" && return 0
    win_say "building expat $win_expat_version"
    local dsc src
    dsc=$(win_fetch_source expat "$win_expat_version")
    src=$(win_unpack expat "$dsc")
    [ -f "$src/CMakeLists.txt" ] || src=$src/expat
    cmake -S "$src" -B "$src/../out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$win_toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$win_prefix" -DEXPAT_SHARED_LIBS=OFF -DEXPAT_DTD=OFF -DEXPAT_BUILD_TOOLS=OFF \
        -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF \
        >/dev/null && cmake --build "$src/../out" -j "$win_jobs" >/dev/null || return 1
    local library
    library=$(ls "$src"/../out/libexpat*.a | head -1)
    [ -n "$library" ] || return 1
    mkdir -p "$win_prefix/lib" "$win_prefix/include"
    cp "$library" "$win_prefix/lib/libexpat.a"
    cp "$src/lib/expat.h" "$src/lib/expat_external.h" "$win_prefix/include/"
    win_pc expat "-lexpat" "-DXML_STATIC"
    win_stamp expat "$win_expat_version"
}

win_build_gtest()
{
    win_stamp_ok gtest "$win_gtest_version" && return 0
    win_say "building GoogleTest $win_gtest_version"
    local out=$win_cache/build/googletest
    rm -rf "$out"
    cmake -S /usr/src/googletest -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$win_toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$win_prefix" -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$out" --target install >/dev/null
    win_stamp gtest "$win_gtest_version"
}

# Qt 6 Core, Gui and Widgets for Windows, shared, with the windows and offscreen platform plugins. Built once
# per machine: more than an hour on two cores.
win_qt_prefix=$win_cache/qt-$win_triplet
win_build_qt()
{
    [ "$(cat "$win_qt_prefix/.stamp" 2>/dev/null)" = "$win_qt_version" ] && return 0
    win_install qt6-base-dev qt6-base-dev-tools perl
    win_say "building Qt $win_qt_version for Windows (once per machine; more than an hour on two cores)"
    local dsc src
    dsc=$(win_fetch_source qt6-base "$win_qt_version")
    src=$(win_unpack qt6-base "$dsc")
    local out=$src/../out
    # Qt 6.4's windows platform plugin uses the DirectWrite font database, which Gui builds only with Direct2D:
    # without Direct2D, the plugin takes the GDI one.
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
        "$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
    cmake -S "$src" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$win_toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$win_qt_prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_zstd=OFF -DFEATURE_printsupport=OFF -DFEATURE_testlib=OFF \
        -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_system_zlib=OFF \
        -DFEATURE_direct2d=OFF -DFEATURE_dynamicgl=OFF >"$out.configure.log" 2>&1 ||
        { tail -30 "$out.configure.log" >&2; return 1; }
    # One progress line instead of ninja's per-file lines.
    NINJA_STATUS='[windows] Qt: %f of %t compiled, %e s ' cmake --build "$out" -j "$win_jobs" 2>&1 |
        grep --line-buffered -E '^\[windows\]|error|FAILED' | awk '{ printf "\r%s", $0; fflush() } END { print "" }'
    [ "${PIPESTATUS[0]}" -eq 0 ] || return 1
    cmake --install "$out" >/dev/null
    echo "$win_qt_version" >"$win_qt_prefix/.stamp"
    rm -rf "$win_cache/build/qt6-base"
}

# Builds the 32-bit kopirko-kase.exe into $1/bin (nothing else of the project; it needs no dependencies). These
# machines cannot run it: its 64-bit twin is the one tested under Wine.
win_build_kase_32()
{
    local out=$1
    cmake -S "$win_root" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$win_kase_toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DKOPIRKO_KASE_HELPER_ONLY=ON -DKOPIRKO_WERROR="${2:-OFF}" >/dev/null
    cmake --build "$out" -j "$win_jobs"
}
