// A shared library with the right suffix that is not a plug-in: the loader must skip it.
extern "C" int plainLibraryAnswer()
{
    return 42;
}
