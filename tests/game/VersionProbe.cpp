// A program that only carries a version record of its own, for reading back.
int main()
{
    return 0;
}
