// The per-user registry values from which Internet Explorer ("BackBitmap")
// and Explorer ("BackBitmapShell") take their toolbar background.
#pragma once

extern const char kToolbarKey[];
extern const char kBackBitmapValue[];
extern const char kBackBitmapShellValue[];

// Writes path, as REG_SZ with its terminating zero, to both values, in that
// order. The key is only opened, never created: when it is missing nothing
// is written. Failures are silent.
void WriteToolbarValues(const char* path);
