// Filled by the pcsc-lite adapter.
