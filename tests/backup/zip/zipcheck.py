#!/usr/bin/env python3
"""Lists a ZIP archive with Python's zipfile, independently of the code that wrote it: one line per entry with its
name, flag bits, size and host ("version made by", high byte), tab-separated."""
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as archive:
    for info in archive.infolist():
        print("%s\t%d\t%d\t%d" % (info.filename, info.flag_bits, info.file_size, info.create_system))
