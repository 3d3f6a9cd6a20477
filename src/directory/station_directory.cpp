#include "directory/station_directory.h"
