/* A stand-in archive library whose CreateObject makes nothing and fails, as a broken or
   foreign build of the library would; it has the string and value exports the caller
   looks up as well. */
int CreateObject(const void* clsid, const void* iid, void** object) {
    (void)clsid;
    (void)iid;
    (void)object;
    return (int)0x80004001u;
}
void* SysAllocString(const void* text) {
    (void)text;
    return 0;
}
int VariantClear(void* value) {
    (void)value;
    return 0;
}
