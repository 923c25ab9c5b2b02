// An executable that only carries an icon resource, for the shell to find.
int main() {
    return 0;
}
