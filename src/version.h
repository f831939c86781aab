// The program's name and version, defined once for the build, the version
// resource and the code.
#pragma once

#define HORALOG_VERSION_MAJOR 1
#define HORALOG_VERSION_MINOR 5
#define HORALOG_VERSION_RELEASE 0
#define HORALOG_VERSION_BUILD 0

#define HORALOG_STRINGIFY2(x) #x
#define HORALOG_STRINGIFY(x) HORALOG_STRINGIFY2(x)

// "1.5.0.0"
#define HORALOG_VERSION_TEXT                                                      \
  HORALOG_STRINGIFY(HORALOG_VERSION_MAJOR) "." HORALOG_STRINGIFY(HORALOG_VERSION_MINOR) "." \
  HORALOG_STRINGIFY(HORALOG_VERSION_RELEASE) "." HORALOG_STRINGIFY(HORALOG_VERSION_BUILD)
// The comma form of the fixed part of the version resource.
#define HORALOG_VERSION_COMMAS \
  HORALOG_VERSION_MAJOR, HORALOG_VERSION_MINOR, HORALOG_VERSION_RELEASE, HORALOG_VERSION_BUILD

// The build reads the name too (the project and the release zip's name).
#define HORALOG_PRODUCT_NAME "Horalog"
#define HORALOG_COMPANY_NAME HORALOG_PRODUCT_NAME " developers"
#define HORALOG_FILE_DESCRIPTION HORALOG_PRODUCT_NAME " working-time recorder"
#define HORALOG_INTERNAL_NAME HORALOG_PRODUCT_NAME
#define HORALOG_ORIGINAL_FILENAME HORALOG_PRODUCT_NAME ".exe"
#define HORALOG_COPYRIGHT "Copyright (C) " HORALOG_COMPANY_NAME
#define HORALOG_TRADEMARKS ""
#define HORALOG_COMMENTS "Records working time from keyboard and mouse activity"
