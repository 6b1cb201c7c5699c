#include "app/app_state.h"

// Zero at start; the process's one instance.
AppState app;
