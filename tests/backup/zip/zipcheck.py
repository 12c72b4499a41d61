#!/usr/bin/env python3
"""Reads a ZIP archive with Python's zipfile, independently of the code that wrote it.
  entries ZIP        one line per entry: name, flag bits, method, size, local date and time, mode (octal,
                     from the Unix half of the attributes), host system; tab-separated
  test ZIP           "OK" when every entry's data unpacks with the right CRC, else "BAD <first bad name>"
  extract ZIP DEST   unpacks everything into DEST"""
import sys
import zipfile

command, path = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(path) as archive:
    if command == "entries":
        for info in archive.infolist():
            print("\t".join([info.filename, str(info.flag_bits), str(info.compress_type), str(info.file_size),
                             "%04d-%02d-%02d %02d:%02d:%02d" % info.date_time, "%o" % (info.external_attr >> 16),
                             str(info.create_system)]))
    elif command == "test":
        bad = archive.testzip()
        print("OK" if bad is None else "BAD " + bad)
    elif command == "extract":
        archive.extractall(sys.argv[3])
    else:
        sys.exit("unknown command " + command)
