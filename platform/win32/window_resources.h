// The ids under which the program carries the splash window's images. The
// resource compiler reads this file too, so it holds plain macros only.
#ifndef BRAKKIS_PLATFORM_WIN32_WINDOW_RESOURCES_H
#define BRAKKIS_PLATFORM_WIN32_WINDOW_RESOURCES_H

// The lowest icon id is the one Explorer shows for the exe.
#define BRAKKIS_WINDOW_ICON 1
#define BRAKKIS_SPLASH_BITMAP 101

#endif
