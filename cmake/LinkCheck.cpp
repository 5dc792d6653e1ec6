// The whole of one layer's library, linked with nothing but the layers below it: every symbol it
// uses must be found there.
int main() {
    return 0;
}
