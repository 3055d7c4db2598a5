// Linked into every fuzz program of the program's own code.

// The settings keep their registry hives for the whole run on purpose
// (threads may still hold one); the table naming them goes with the static
// destructors at exit, after which the hives read as lost. That is no
// finding, and would end every run as one.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:RegistryHive::\n";
}
