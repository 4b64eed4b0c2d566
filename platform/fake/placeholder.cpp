// Filled by the fakes.
