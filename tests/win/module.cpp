// A module for the tests to load from a deep folder.
extern "C" __declspec(dllexport) int quorbilanTestModule()
{
    return 42;
}
