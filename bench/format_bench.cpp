// Formatting benchmarks.
