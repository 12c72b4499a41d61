#!/usr/bin/env python3
"""Lists a ZIP archive with Python's zipfile, independently of the code that wrote it: one line per entry with its
name, flag bits, size, host ("version made by", high byte) and method, tab-separated. With --test, reads every entry's data
instead (checking its CRC) and fails on the first that is damaged."""
import sys
import zipfile

test = sys.argv[1] == "--test"
with zipfile.ZipFile(sys.argv[-1]) as archive:
    if test:
        bad = archive.testzip()
        if bad is not None:
            sys.exit("damaged entry: " + bad)
    else:
        for info in archive.infolist():
            print("%s\t%d\t%d\t%d\t%d" % (info.filename, info.flag_bits, info.file_size, info.create_system,
                                          info.compress_type))
