extern "C" __attribute__((visibility("default"))) int TalvoroTestAnswer() {
    return 42;
}
