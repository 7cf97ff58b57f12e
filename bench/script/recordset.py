# A loop over a recordset object, as template code reads query results.
class Rs:
    def __init__(self, rows):
        self.rows = rows
        self.pos = 0

    @property
    def EOF(self):
        return self.pos >= self.rows

    def MoveNext(self):
        self.pos += 1

    def __call__(self, name):
        n = name.lower()
        if n == "id":
            return self.pos + 1
        if n == "name":
            return "Customer " + chr(65 + self.pos % 26)
        if n == "amount":
            return (self.pos % 1000) / 4.0
        raise KeyError(name)

def main(rs):
    total = 0
    chars = 0
    n = 0
    while not rs.EOF:
        total = total + rs("Amount")
        chars = chars + len(rs("Name"))
        n = n + 1
        rs.MoveNext()
    print(n, int(total) if total == int(total) else total, chars)

main(Rs(300000))
