def work():
    s = ""
    for i in range(1, 300001):
        s += "item" + str(i) + ";"
    return len(s)

print(work())
