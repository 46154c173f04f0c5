// Marks the variables that hold one call's state. The plug-in runs one call
// at a time and keeps them at module level; the threaded build
// (SWEEPTRI_THREADED) gives each thread its own instance, so that calls on
// different threads never share any.
#pragma once

#ifdef SWEEPTRI_THREADED
#define SWEEPTRI_CALL_STATE thread_local
#else
#define SWEEPTRI_CALL_STATE
#endif
