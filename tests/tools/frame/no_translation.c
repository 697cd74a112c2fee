/* A resource-only library for the version-string test. */
int no_translation_marker(void) { return 0; }
