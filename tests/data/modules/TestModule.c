/* A loadable module for the module-loading tests: two plain exports. */
int XjTestModuleAnswer(void) {
    return 42;
}
int XjTestModuleAdd(int a, int b) {
    return a + b;
}
