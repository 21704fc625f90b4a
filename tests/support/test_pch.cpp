// Carries the precompiled test header that every test binary reuses.
