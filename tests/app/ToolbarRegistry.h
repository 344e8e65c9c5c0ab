// Test access to the toolbar background values in the test prefix's registry.
#pragma once

#include <string>

#include <gtest/gtest.h>

// Deletes the toolbar key with everything under it and, when create is set,
// makes it again, empty.
void ResetToolbarKey(bool create);
bool ToolbarKeyExists();
// Writes both values as the program would, bypassing it.
void SetToolbarValues(const char* path);

// The text of "BackBitmap", or "<missing>".
std::string ReadBackBitmap();

// Both values must be REG_SZ holding path with its terminating zero.
::testing::AssertionResult ToolbarValuesAre(const std::string& path);
