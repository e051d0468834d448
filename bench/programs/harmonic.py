# harmonic: the sum of 1/k for k = 1 .. 2,000,000.
def main():
    s = 0.0
    k = 1
    while True:
        t = -1 / k
        s = s - t
        k += 1
        if not k < 2000001:
            break
    print("%.15g" % s)


main()
