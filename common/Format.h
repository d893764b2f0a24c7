// Number formatting for everything the program shows or writes.
//
// Qt sets the C library's locale from the environment, so printf-style
// formatting could print a decimal comma. Every number the program shows goes
// through these helpers, which format under the "C" locale whatever the
// user's settings are.
#ifndef COMMON_FORMAT_H
#define COMMON_FORMAT_H

#include <QString>

// printf-style formatting ("%d", "%.2f fps", "%d(%d)") with "." as the
// decimal separator.
QString FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One real number through a printf format, e.g. FormatFloat("%.3f ms", x).
QString FormatFloat(const char* format, double value);

#endif
