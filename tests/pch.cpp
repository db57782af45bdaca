// Carries the precompiled Qt headers that every test program reuses.
