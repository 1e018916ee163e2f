// Keeps a library target valid while its folder holds no sources yet.
