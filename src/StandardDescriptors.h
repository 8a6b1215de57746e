#pragma once

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed
// (read-only for 0, write-only for 1 and 2), so that no file or connection
// the program opens later becomes its standard input or output by accident.
// Returns 0, or the errno of the first descriptor that could not be filled.
int openClosedStandardDescriptors();
