using System.Collections.Generic;
using System.Text;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>A clean stand-in core and dispatcher for each test, and checks of what the core
    /// received.</summary>
    public abstract class BindingTest
    {
        [SetUp]
        public void SetUpBinding()
        {
            Assert.IsTrue(VeloStandIn.IsAvailable, "these tests drive the stand-in core");
            VeloAdapter.Initialize();
            VeloStandIn.Reset();
            ResultDispatcher.Reset();
        }

        [TearDown]
        public void TearDownBinding()
        {
            VeloStandIn.Reset();
            ResultDispatcher.Reset();
        }

        protected sealed class Expected
        {
            public string Kind;
            public string Text;
            public int Int;
            public bool Flag;
        }

        protected static Expected Text(string text)
        {
            return new Expected { Kind = "text", Text = text };
        }

        protected static Expected Int(int value)
        {
            return new Expected { Kind = "int", Int = value };
        }

        protected static Expected Flag(bool value)
        {
            return new Expected { Kind = "flag", Flag = value };
        }

        protected static Expected CText(string text)
        {
            return new Expected { Kind = "ctext", Text = text };
        }

        /// <summary>The core received exactly one call, `operation`, with these arguments: texts
        /// as their UTF-8 bytes (null as an empty String, except C texts, which stay
        /// null).</summary>
        protected static void ExpectSingleCall(string operation, params Expected[] expected)
        {
            var calls = VeloStandIn.Calls();
            Assert.AreEqual(1, calls.Count, "core calls");
            Assert.AreEqual(operation, calls[0].Operation);
            var args = calls[0].Arguments;
            Assert.AreEqual(expected.Length, args.Count, "arguments of " + operation);
            for (var i = 0; i < expected.Length; ++i)
            {
                var
                    where = operation + " argument " + (i + 1);
                Assert.AreEqual(expected[i].Kind, args[i].Kind, where);
                switch (expected[i].Kind)
                {
                case "text":
                    var bytes = Encoding.UTF8.GetBytes(expected[i].Text ?? "");
                        CollectionAssert.AreEqual(bytes, args[i].Bytes, where);
                        Assert.AreEqual(bytes.Length, args[i].Length, where);
                        Assert.IsTrue(args[i].Terminated, where);
                        break;
                case "ctext":
                        Assert.AreEqual(expected[i].Text == null, args[i].IsNull, where);
                        if (expected[i].Text != null)
                        {
                            CollectionAssert.AreEqual(Encoding.UTF8.GetBytes(expected[i].Text),
                                                      args[i].Bytes, where);
                        }
                        break;
                case "int":
                        Assert.AreEqual(expected[i].Int, args[i].Int, where);
                        break;
                case "flag":
                        Assert.AreEqual(expected[i].Flag, args[i].Flag, where);
                        break;
                }
            }
        }

        /// <summary>Dispatches what waits and returns the raw results it raised.</summary>
        protected static List<KeyValuePair<int, string>> DispatchRaw()
        {
            var raw = new List<KeyValuePair<int, string>>();
            ResultDispatcher.ResultReceived += (id, json) =>
                raw.Add(new KeyValuePair<int, string>(id, json));
            ResultDispatcher.DispatchPending();
            return raw;
        }
    }
}
