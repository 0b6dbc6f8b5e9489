// A DLL of a made-up name, built beside the start-up test as one planted beside the program.
extern "C" __declspec(dllexport) int OstrevanePlantedProbe() {
    return 1;
}
