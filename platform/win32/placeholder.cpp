// Filled by the Win32 adapters.
