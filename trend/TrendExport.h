// What the trend library offers to programs that link it (tests, benchmarks).
#pragma once

#include <QtGlobal>

#if defined(QZ_TREND_LIBRARY)
#define QZ_TREND_EXPORT Q_DECL_EXPORT
#else
#define QZ_TREND_EXPORT Q_DECL_IMPORT
#endif
