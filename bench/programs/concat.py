# concat: appends "ab" to a text a million times.
def main():
    s = ""
    n = 0
    while True:
        s += "ab"
        n += 1
        if not n < 1000000:
            break
    print(s)


main()
