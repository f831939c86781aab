// The program's version, defined once for the version resource and the code.
#pragma once

#define HORALOG_VERSION_MAJOR 1
#define HORALOG_VERSION_MINOR 0
#define HORALOG_VERSION_RELEASE 0
#define HORALOG_VERSION_BUILD 1

#define HORALOG_STRINGIFY2(x) #x
#define HORALOG_STRINGIFY(x) HORALOG_STRINGIFY2(x)

// "1.0.0.1"
#define HORALOG_VERSION_TEXT                                                      \
  HORALOG_STRINGIFY(HORALOG_VERSION_MAJOR) "." HORALOG_STRINGIFY(HORALOG_VERSION_MINOR) "." \
  HORALOG_STRINGIFY(HORALOG_VERSION_RELEASE) "." HORALOG_STRINGIFY(HORALOG_VERSION_BUILD)
// The comma form of the fixed part of the version resource.
#define HORALOG_VERSION_COMMAS \
  HORALOG_VERSION_MAJOR, HORALOG_VERSION_MINOR, HORALOG_VERSION_RELEASE, HORALOG_VERSION_BUILD

#define HORALOG_PRODUCT_NAME "Horalog"
#define HORALOG_COMPANY_NAME "Horalog developers"
#define HORALOG_FILE_DESCRIPTION "Horalog working-time recorder"
#define HORALOG_INTERNAL_NAME "Horalog"
#define HORALOG_ORIGINAL_FILENAME "Horalog.exe"
#define HORALOG_COPYRIGHT "Copyright (C) Horalog developers"
#define HORALOG_TRADEMARKS ""
#define HORALOG_COMMENTS "Records working time from keyboard and mouse activity"
