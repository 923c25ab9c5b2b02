// An executable whose version resource has no translation table and a description longer than
// any reader takes (Windows build), for the catalogue's tests.
int main() {
    return 0;
}
