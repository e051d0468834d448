# count: a variable from 0 to 10,000,000.
def main():
    i = 0
    while True:
        i += 1
        if not i < 10000000:
            break
    print(i)


main()
