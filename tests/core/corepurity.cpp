// Linked with every object of the core and nothing but Qt Core: a core unit
// that reaches the input layer (or any layer above) fails this link.
int main() {
    return 0;
}
