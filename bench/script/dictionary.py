def work():
    d = {}
    for i in range(1, 200001):
        key = "k" + str(i)
        if key in d:
            raise KeyError(key)
        d[key] = i
    s = 0
    for i in range(1, 200001):
        s = s + d["k" + str(i)]
    c = 0
    for i in range(1, 400001, 2):
        if ("k" + str(i)) in d:
            c = c + 1
    return s + c + len(d)

print(work())
