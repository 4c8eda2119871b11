// Compiles the shared precompiled header.
